// What the payload check costs: the whole store loaded through
// Win32Platform::LoadPayload, which checks every payload's CRC-32, against
// the bare resource lookup it replaced. The first round also maps the
// payloads' pages in, which a run's writes would do anyway; the later rounds
// show the check alone. Run by scripts/bench-payload-check.sh.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/win32_platform.h"
#include "install/manifest.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = std::max(argc > 1 ? std::atoi(argv[1]) : 10, 1);
  tarnvel::Win32Platform platform;
  std::vector<double> times;
  for (int round = 1; round <= rounds; ++round) {
    LARGE_INTEGER start;
    LARGE_INTEGER looked;
    LARGE_INTEGER checked;
    QueryPerformanceCounter(&start);
    for (const tarnvel::Component& component : tarnvel::kManifest)
      if (FindResourceA(nullptr, MAKEINTRESOURCEA(1), component.name) == nullptr) return 1;
    QueryPerformanceCounter(&looked);
    std::size_t bytes = 0;
    for (const tarnvel::Component& component : tarnvel::kManifest) {
      tarnvel::PayloadView payload;
      if (!platform.LoadPayload(component.name, 1, payload)) {
        std::printf("%s: failed its check\n", component.name);
        return 1;
      }
      bytes += payload.size;
    }
    QueryPerformanceCounter(&checked);
    times.push_back(Milliseconds(looked, checked));
    std::printf("round %d: %zu bytes, lookup only %.2f ms, checked load %.2f ms\n", round, bytes,
                Milliseconds(start, looked), times.back());
  }
  std::sort(times.begin(), times.end());
  std::printf("checked load of the whole store: best %.2f ms, median %.2f ms\n", times.front(),
              times[times.size() / 2]);
  return 0;
}
