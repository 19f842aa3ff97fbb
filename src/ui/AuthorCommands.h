// The author's tools on the command line, for the story in the current folder. They run without
// a display and open no window.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

// zv_rk --check: one diagnostic a line on `out`; the exit status, 0 when it found no error or
// warning.
int RunCheck(std::ostream& out);

// zv_rk --map: the story's graph on `out`; the exit status.
int RunMap(std::ostream& out, std::ostream& err);

// zv_rk --start @label: sets `firstStep` to start there and tells on `err` what it could not
// decide; gives the exit status of a usage error (an unknown label) instead.
std::optional<int> PrepareStart(const std::string& label, std::function<void()>& firstStep, std::ostream& err);
