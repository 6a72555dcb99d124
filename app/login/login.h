#pragma once
// `Login`: decides who works. The window "Acceso" shows the pre-filled user
// name and password; "&Aceptar" checks them against the `usuarios` table and
// copies the user's rights into UserPermissions. A known user with another
// password ends the program after "Acceso negado".
#include <functional>
#include <string>
#include <string_view>

namespace tv::ui {
class Window;
}

namespace tv::app {

// Control numbers of the "Acceso" windows: the login and the administrator's
// login of the user administration.
enum AccessControl : int {
    kAccessSheet = 1, kAccessTab = 2, kAccessNamePrompt = 3, kAccessName = 4, kAccessPasswordPrompt = 5,
    kAccessPassword = 6, kAccessOk = 7, kAccessCancel = 8,
};

// Adds the controls of an "Acceso" window: the name and the (masked)
// password with their prompts, "&Aceptar" and "&Cancelar".
void BuildAccessWindow(ui::Window& w);

// The name and password the login window is filled with.
inline constexpr const char* kLoginName = "kvz";
inline constexpr const char* kLoginPassword = "kvz";
inline constexpr const char* kCompanyName = "EL NOMBRE DE SU EMPRESA";

enum class LoginOutcome {
    Granted,      // the password matched: the rights were copied
    FirstUser,    // the table was empty and the offered user logged in: it was
                  // created as administrator with every right
    UnknownUser,  // no such user: no rights
    Denied,       // another password: the program must end
    Unusable,     // the table could not be read or written (said): no rights
};

// Whether a name and password are the ones the login offers (kLoginName,
// kLoginPassword): the only user an empty users table is started with.
bool IsOfferedUser(std::string_view name, std::string_view password);

// The check behind "&Aceptar", on the current thread's tables: rights and
// GLO:EMPRESA as the outcome says (GLO:EMPRESA is set for Granted,
// FirstUser and UnknownUser). On an empty users table only the offered
// user is created (any other name is unknown); two stations doing so at
// once both end logged in as it. A table that cannot be read is Unusable,
// never an unknown user.
LoginOutcome CheckLogin(std::string_view name, std::string_view password);

// What "Acceso negado" leads to: by default AccessDenied() becomes true
// and the frame that ran the login closes at once, so the program ends
// through its ordinary stop steps with exit code 0. Tests may replace it.
void SetAccessDeniedHandler(std::function<void()> h);
bool AccessDenied();
void ResetAccessDenied();

// The procedure.
void Login();

}  // namespace tv::app
