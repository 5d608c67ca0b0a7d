#include "infra/mqtt/report_id.h"

#include <atomic>

#include "tessera_api.h"

namespace tessera {
namespace {

std::atomic<int> g_report_id{0};

}  // namespace

int NextReportId() { return g_report_id.fetch_add(1); }

}  // namespace tessera

extern "C" int IOT_Tessera_NextReportId(void) { return tessera::NextReportId(); }
