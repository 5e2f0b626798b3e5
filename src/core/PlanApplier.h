#pragma once

#include <functional>

class RouteAddressDataset;
struct SyncPlan;

// What the application of a plan tells its run while it works.
struct ApplyHooks {
    std::function<void(int change)> inHand; // before the change's statement; -1: none
    // Before a commit: the transaction's changes [first, end) are in hand
    // together until the server answers it.
    std::function<void(int first, int end)> committing;
    std::function<void(int stored)> stored; // the plan's first `stored` changes are in the table
    std::function<bool()> stopRequested;    // asked before the first change and after each
};

// Makes the plan's changes in its order through RA2: each stored at once, or
// with `batch` above 0 in transactions of at most that many consecutive
// changes. Returns how many were stored: all, or fewer when a stop was asked
// for (the changes made up to then are stored first). A failure rolls back
// the open transaction, and only that one, and propagates; the changes in
// hand then are those whose outcome it leaves open: none when the server
// refused a commit, all of its transaction when the commit's answer was lost.
int applyPlan(const SyncPlan& plan, RouteAddressDataset& RA2, int batch, const ApplyHooks& hooks);
