#include "core/PlanApplier.h"

#include "core/SyncPlan.h"
#include "db/RouteAddressDataset.h"
#include "platform/TarveloError.h"

#include <algorithm>

int applyPlan(const SyncPlan& plan, RouteAddressDataset& RA2, int batch, const ApplyHooks& hooks) {
    const int total = static_cast<int>(plan.changes.size());
    int next = 0;
    // A stop asked for while the plan was made: not even the first change.
    bool stop = hooks.stopRequested();
    while (next < total && !stop) {
        const int first = next;
        const int end = batch > 0 ? std::min(total, next + batch) : next + 1;
        if (batch > 0) {
            RA2.beginBatch();
        }
        bool committing = false;
        try {
            while (next < end && !stop) {
                hooks.inHand(next);
                const PlannedChange& change = plan.changes[static_cast<size_t>(next)];
                if (change.kind == PlannedChange::Kind::Delete) {
                    RA2.deleteRow(change.id);
                } else {
                    RA2.insert(change.id, change.address);
                }
                ++next;
                stop = hooks.stopRequested();
            }
            if (batch > 0) {
                committing = true;
                hooks.committing(first, next);
            }
            RA2.commitBatch();
        } catch (const OutcomeUnknownError&) {
            RA2.rollbackBatch();
            throw;
        } catch (...) {
            if (committing) {
                // Refused by the server: the transaction is undone, no change of it stays.
                hooks.inHand(-1);
            }
            RA2.rollbackBatch();
            throw;
        }
        hooks.stored(next);
    }
    return next;
}
