#pragma once
// The progress bar runs from 0 to this upper limit: thousandths of the update.
constexpr int ProgressBarUpperLimit = 1000;
