// The steps of a run after its command line: the pallet and the object's
// files checked, the scan found and loaded, the depallet and split steps.
#pragma once

#include <ctime>

#include "app/Options.h"
#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "cloud/snapshot/Snapshot.h"

class Config;

namespace app {

/// True when a depallet run's pallet can be cut by: a pallet by id must have
/// its row, and its height must be usable. Prints the refusal.
bool UsablePallet(const RunRequest& request, const Config& config);

/// The object's identity, by index when one is given, else by session.
CloudInfo LookUp(const Config& config, const RunRequest& request);

/// An object's files lie in B/S: a session id that is no single folder name
/// would put them elsewhere, and without a base data folder they would land
/// wherever the run was started. Prints the refusal; true when the run may go on.
bool PlacesFilesSafely(const CloudInfo& info, const Config& config);

/// True when the run cuts a pallet away (a depallet by height under 2 mm cuts nothing).
bool CutsPallet(const RunRequest& request, const Config& config);

/// What the goods stood on, as the picture names it: the pallet's top when a
/// pallet higher than the floor's noise band was cut, else the floor.
Snapshot::Ground Support(const RunRequest& request, const Config& config);

/// The identity whose file the run reads. Once a row is marked depalletized
/// its own file is the cut cloud; cutting that again would take another
/// pallet off the goods, so a run that cuts always starts from the scan as
/// delivered and repeating it gives the same results.
CloudInfo Source(const CloudInfo& info, const RunRequest& request, const Config& config);

/// True when the object has a row and the file the run reads is on disk;
/// prints "Found!:", or "Not found:" with what was looked for.
bool Found(const RunRequest& request, const CloudInfo& info, const CloudInfo& source);

/// The working cloud of the run: the object's identity with the points of the source file.
Cloud LoadCloud(const CloudInfo& info, const CloudInfo& source);

/// A scan in the wrong unit, or a floor plane that is not this scan's floor,
/// would be measured and stored as absurd sizes. Prints the refusal; true
/// when the run may measure the scan.
bool ScanUsable(const Cloud& cloud, const RunRequest& request, const Config& config);

/// How the depallet step ended.
enum class DepalletOutcome {
    Stored,     ///< files written, row updated
    Refused,    ///< nothing sensible to store; nothing written
    NotStored,  ///< files written, but the database refused the update
};

/// Measures the cloud with and without its pallet, writes the pallet folder's
/// files and stores the results in the object's row. Nothing is written when
/// the pallet cut leaves no points: zeros would overwrite the row. The
/// picture names `ground` as the goods' support.
DepalletOutcome DepalletStep(Cloud& cloud, const Config& config, Snapshot::Ground ground,
                             std::time_t started);

/// Splits a copy of the cloud into the objects standing side by side; when
/// there are several, measures each and writes its files. Nothing is written
/// when a cluster's results are not numbers (coordinates near the float
/// limit overflow the volumes): its data file would carry them. Returns the
/// run's exit status.
int SplitStep(const Cloud& cloud, Snapshot::Ground ground, std::time_t started);

}  // namespace app
