#pragma once
// The order wizard ("Asistente para generar orden de compra"): four pages
// that draw up a purchase order from the article catalogue and generate it.
// A window procedure; the order list runs it on its own thread. The
// generation itself is in order_generation.h.
namespace tv::movements::wizard {

void Asistente();

// Registers the procedures the frame and the order list start by name.
void RegisterWizardProcedures();

}  // namespace tv::movements::wizard
