#pragma once
// The store file etc/isprops.xml: read whole into the tree, written whole from it.

#include "coefficients/coefficient_sets.h"
#include "support/folder_lock.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::coefficients {

// Loads the XML file at `path` into `model`. A missing, unreadable or
// malformed file gives false and leaves the model alone. A faulty class is
// reported through the error reporter and gives false too; the model may then
// hold part of the file.
bool GetISModelProperties(CoeffStore& model, const std::filesystem::path& path);

// Writes the model to <extensionFolder>/etc/isprops.xml, one tag or value per
// indented line, CR LF, UTF-8 without declaration; etc/ and the store are made
// when missing. The text goes to a scratch file of a fresh name in etc/
// (created exclusively, never through an existing name), with the store's
// mode and owner, flushed to the disk and renamed over the store: a failed
// save leaves the old store whole, and the store is never a link. A read-only
// store is refused. Failures throw; the report starts at PutISModelProperties.
// Callers that change the store go through UpdateStore.
void PutISModelProperties(const CoeffStore& model, const std::filesystem::path& extensionFolder);

// Holds the store of an extension folder for one read-modify-write, across
// processes: a second writer waits here until the first has saved
// (support::LockFolderWithin: it says so, naming the process, and gives up
// after the SetLockWait time, see busy()). The lock sits on etc/ itself, as
// the run's sits on temp/, so no file of its own can be planted or left
// behind and it holds where etc/ is read-only. One at a time per process: it
// is not re-entrant.
class StoreLock {
public:
    explicit StoreLock(const std::filesystem::path& extensionFolder);
    // Why the store was not locked: the wait ran out (the message names the
    // holder); empty when it is held.
    const std::string& busy() const noexcept { return busy_; }

private:
    support::OwnedFd fd_;
    std::string busy_;
};

enum class StoreUpdate {
    Saved,       // the change is in the store, and in the caller's model
    Unchanged,   // the change declined; nothing was written
    Unreadable,  // the store is there but does not load: never written over
    SaveFailed,  // reported (the only report UpdateStore still shows itself); the store is as it was
    Busy,        // another process held the store past the wait; said, nothing written
};

// Every change to the store goes through here: under the lock, reads the store
// as it is now (a missing one as a store without sets), lets `change` alter
// that and saves it. When saved, `model` becomes what was saved, so the caller
// also sees what other writers added meanwhile. `change` runs under the lock:
// it must not ask the user anything.
StoreUpdate UpdateStore(CoeffStore& model, const std::filesystem::path& extensionFolder,
                        const std::function<bool(CoeffStore&)>& change);

// The messages for a store that does not load or cannot be saved.
std::string StoreLoadFailedText(const std::filesystem::path& extensionFolder);
std::string StoreSaveFailedText(const std::filesystem::path& extensionFolder);

// The store's line layout of an element's raw XML text: each tag and each
// text on a line of its own, nested two spaces per level.
std::vector<std::string> StoreLines(std::string_view xml);

}  // namespace halvo::coefficients
