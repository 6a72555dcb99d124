#pragma once
// Process-wide state shared by every procedure of every logical thread. It
// exists from program load; nothing here is locked, as all logical threads
// run on the one GUI thread.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tv::app {

// One open window procedure: keeps each procedure to one window per process.
struct RunningProcedure {
    std::string PROCESO = std::string(64, ' ');  // procedure name, 64 characters
    int32_t THREADNUMERO = 0;                    // logical thread it runs on
};

struct Globals {
    static constexpr std::size_t kEmpresaWidth = 60;
    static constexpr std::size_t kCiudadProveedorWidth = 40;
    static constexpr std::size_t kProcesoWidth = 64;
    static constexpr std::size_t kPermissionBytes = 100;

    // GLO:EMPRESA, the company name the reports and exports print; the login fills it.
    std::string EMPRESA = std::string(kEmpresaWidth, ' ');
    // GLO:CIUDADPROVEEDOR, the supplier's city line of the purchase-order printout.
    std::string CIUDADPROVEEDOR = std::string(kCiudadProveedorWidth, ' ');
    // RunningProcedures and its record buffer.
    std::vector<RunningProcedure> RunningProcedures;
    RunningProcedure RunningProceduresBuffer;
    // UserPermissions: one byte per right, 0 disables (byte 0 is unused).
    std::array<uint8_t, kPermissionBytes> UserPermissions{};
    // The full-window-drag setting found at start, restored at the end.
    int32_t SavedDragFullWindows = 0;
};

Globals& globals();

}  // namespace tv::app
