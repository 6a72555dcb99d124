#include "app/window/running_procedures.h"

#include <algorithm>

#include "app/globals.h"

namespace tv::app {

std::string ProcesoText(std::string_view name) {
    std::string s(name.substr(0, Globals::kProcesoWidth));
    s.resize(Globals::kProcesoWidth, ' ');
    return s;
}

bool FindRunningProcedure(std::string_view name) {
    Globals& g = globals();
    g.RunningProceduresBuffer.PROCESO = ProcesoText(name);
    for (const RunningProcedure& r : g.RunningProcedures) {
        if (r.PROCESO == g.RunningProceduresBuffer.PROCESO) {
            g.RunningProceduresBuffer = r;
            return true;
        }
    }
    return false;
}

void AddRunningProcedure(std::string_view name, int32_t thread) {
    Globals& g = globals();
    g.RunningProceduresBuffer.PROCESO = ProcesoText(name);
    g.RunningProceduresBuffer.THREADNUMERO = thread;
    auto& list = g.RunningProcedures;
    auto at = std::upper_bound(list.begin(), list.end(), g.RunningProceduresBuffer,
                               [](const RunningProcedure& a, const RunningProcedure& b) {
                                   return a.PROCESO < b.PROCESO;
                               });
    list.insert(at, g.RunningProceduresBuffer);
}

bool RemoveRunningProcedure(std::string_view name) {
    Globals& g = globals();
    const std::string key = ProcesoText(name);
    auto& list = g.RunningProcedures;
    auto it = std::find_if(list.begin(), list.end(), [&](const RunningProcedure& r) { return r.PROCESO == key; });
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

}  // namespace tv::app
