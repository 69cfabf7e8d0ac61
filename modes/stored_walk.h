// Compare --stored: the records of a second catalogue stand for Path 2, so that two catalogues
// (of two machines, or of a tree and its copy made elsewhere) compare with neither tree at hand.
#pragma once

#include "core/table.h"
#include "modes/reconcile.h"

/// Matches the records of table (Path 1, its start path already Path 2) against those of
/// stored as Reconciler::Index and Walk match them against a live tree: records found lose
/// stGONE and take the stored side's fields, each difference goes to onChange in walk order,
/// and records only stored holds are appended with stNEW (with their subtree under opt.sub).
/// Children are taken in the order the catalogue holds them; no file is read.
void WalkStored(Table& table, const Table& stored, const CheckOptions& opt,
                const ChangeSink& onChange);
