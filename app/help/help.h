#pragma once
// The help windows of the frame's "A&yuda" menu, run on the frame's thread:
// `ConsultaManual` opens "manual.pdf" of the working folder, `Soporte` the
// support page, each with the desktop's default program, without waiting.
// When the manual cannot be opened the user is told where it is.
#include <QString>

#include "app/help/manual_file.h"

namespace tv::app {

// The support page: our server, the page's path as it always was.
inline constexpr const char* kSupportAddress = "http://soporte.talvor.example/CGI-BIN/soportephp.htm";

void ConsultaManual();
void Soporte();

}  // namespace tv::app
