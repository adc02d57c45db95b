// The CPU time the calling thread has used, for the harness's "CPU" column.
#pragma once

namespace benchmark::internal {

double ThreadCpuSeconds();

}  // namespace benchmark::internal
