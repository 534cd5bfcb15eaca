// The shared block between the benchmark build of setup.exe and startup_bench: one
// performance-counter value per TimingMark, 0 until reached.
#pragma once

#include "app/timing_marks.h"

constexpr char kTimingMarksName[] = "Local\\Velvorine.TimingMarks";
constexpr int kTimingMarkCount = static_cast<int>(TimingMark::kCount);
constexpr int kStartupMarkCount = static_cast<int>(TimingMark::kInstallBegins);
