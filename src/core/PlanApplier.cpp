#include "core/PlanApplier.h"

#include "core/SyncPlan.h"
#include "db/RouteAddressDataset.h"

#include <algorithm>

int applyPlan(const SyncPlan& plan, RouteAddressDataset& RA2, int batch, const ApplyHooks& hooks) {
    const int total = static_cast<int>(plan.changes.size());
    int next = 0;
    // A stop asked for while the plan was made: not even the first change.
    bool stop = hooks.stopRequested();
    while (next < total && !stop) {
        const int end = batch > 0 ? std::min(total, next + batch) : next + 1;
        if (batch > 0) {
            RA2.beginBatch();
        }
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
                // A failing commit fails its whole transaction, no one change of it.
                hooks.inHand(-1);
            }
            RA2.commitBatch();
        } catch (...) {
            RA2.rollbackBatch();
            throw;
        }
        hooks.stored(next);
    }
    return next;
}
