#pragma once

// The most memory this process has held resident so far, in KiB; -1 when unknown. CTest runs
// each test in a process of its own, so a test's growth shows.
long peakResidentKiB();
