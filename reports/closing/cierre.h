#pragma once
// "Cierre de período": the window that runs the period closing
// (closing.h) with a progress bar.

namespace tv::reports {

// Its controls.
enum CierreControl : int {
    kCierreSheet = 1,
    kCierreTab = 2,
    kCierreText = 3,
    kCierreProgress = 4,
    kCierreOk = 5,
    kCierreCancel = 6,
};

// The procedure the frame starts from "&Procesos" → "&Cierre de período".
void Cierre();

// Registers Cierre with the frame's procedures.
void RegisterClosingProcedures();

}  // namespace tv::reports
