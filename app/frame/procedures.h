#pragma once
// The procedures the frame's menu and buttons start, by name. Each module
// registers its own; a name nobody registered yet gets a stand-in window
// with the procedure's caption saying it is not available yet.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

namespace tv::app {

using Procedure = std::function<void()>;

void RegisterProcedure(std::string_view name, Procedure p);  // an empty p unregisters
// The registered procedure, or the stand-in for that name.
Procedure FindProcedure(std::string_view name);
bool IsRegistered(std::string_view name);
// Every registered name, in name order.
std::vector<std::string> RegisteredProcedures();

// The stand-in: a window of the template with the given caption and the text
// "Esta función aún no está disponible." and a "Cerrar" button.
void RunStandIn(std::string_view name, const QString& caption, bool frameChild);

// Window captions of the stand-ins (the menu item's status message).
void SetStandInCaption(std::string_view name, const QString& caption);

}  // namespace tv::app
