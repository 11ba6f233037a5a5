// Ctrl+C while oculo-grab watches a camera: the first one ends the watch,
// after which the tool stops the graph, writes the snapshot and gives its
// verdict as at the end of a timed run; a second one ends the tool at once
// (the system's default), for a filter that will not stop. On Linux a SIGINT
// handler that only sets a flag (GrabInterruptPosix.cpp); on Windows a
// console control handler (GrabInterruptWin.cpp).
//
// Threading: CatchInterrupt on the main thread, once, before the watch;
// Interrupted on any thread. The flag is a lock-free atomic, which a signal
// handler may set.
#pragma once

void CatchInterrupt();
bool Interrupted();
