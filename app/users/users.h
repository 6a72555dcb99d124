#pragma once
// User administration: `LoginAdminstrador` admits only an administrator and
// then runs `BrowseUsuarios`, the list of users, whose form `Updateusuarios`
// edits a user's name, password, administrator mark and rights. A typed
// password is never kept: the form stores its hash (app/login/password.h);
// an entry left blank keeps the stored password.
#include <cstddef>
#include <string_view>
#include <vector>

#include "app/login/login.h"

namespace tv::app {

// Control numbers of the administrator login window "Acceso" (the
// login's own window, app/login/login.h).
enum AdminLoginControl : int {
    kAdmSheet = kAccessSheet, kAdmTab = kAccessTab, kAdmNamePrompt = kAccessNamePrompt, kAdmName = kAccessName,
    kAdmPasswordPrompt = kAccessPasswordPrompt, kAdmPassword = kAccessPassword, kAdmOk = kAccessOk,
    kAdmCancel = kAccessCancel,
};

// Control numbers of the user list.
enum UserListControl : int {
    kUsuList = 1,      // ?BROWSE:1
    kUsuInsert = 3,    // ?INSERT:3
    kUsuChange = 4,    // ?CHANGE:3
    kUsuDelete = 5,    // ?DELETE:3
    kUsuSheet = 7,     // ?CURRENTTAB
    kUsuTab = 8,       // ?TAB:2 "Por nombre"
    kUsuClose = 10,    // ?CLOSE
};

// Control numbers of the user form; the check box of right n is
// kUsuRightBase + n.
enum UserFormControl : int {
    kUfSheet = 1, kUfTab = 2, kUfNamePrompt = 3, kUfName = 4, kUfPasswordPrompt = 5, kUfPassword = 6,
    kUfAdministrator = 7, kUfGroup = 8, kUfOk = 9, kUfCancel = 10,
    kUfColumnHeads = 11,   // 11..16: "Tablas:" .. "Procesos:"
    kUsuRightBase = 100,   // ?USU:PERMISOS_n
};

// The most characters a password takes (the form's "s10" entry).
inline constexpr std::size_t kPasswordChars = 10;

// Caption of the notice that refuses to delete the last administrator or to
// take the mark from him.
inline constexpr const char* kLastAdministratorCaption = "Último administrador";

// The rights that have a check box, in the form's order.
const std::vector<int>& EditableRights();

// Whether the name and password are those of a user marked as
// administrator (the name without regard to letter case, the password as
// app/login compares it), on the current thread's tables.
bool IsAdministrator(std::string_view name, std::string_view password);

void LoginAdminstrador();
void BrowseUsuarios();
void Updateusuarios();

// Registers `LoginAdminstrador` (the frame's "&Usuarios") and `UpdateFolios`
// (the frame's "&Folios") with the frame's procedures.
void RegisterAdminProcedures();

}  // namespace tv::app
