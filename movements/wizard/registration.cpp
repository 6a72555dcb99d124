#include "app/frame/procedures.h"
#include "movements/wizard/wizard.h"

namespace tv::movements::wizard {

void RegisterWizardProcedures() { app::RegisterProcedure("Asistente", Asistente); }

}  // namespace tv::movements::wizard
