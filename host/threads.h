#pragma once
// How many workers the host's parallel stages use: all cores unless the
// face (e.g. `halvo run --threads N`) says otherwise.

namespace halvo::host {

int DefaultThreads();
// n <= 0 goes back to all cores.
void SetDefaultThreads(int n);

}  // namespace halvo::host
