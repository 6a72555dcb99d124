#pragma once
// The help windows of the frame's "A&yuda" menu, run on the frame's thread:
// `ConsultaManual` opens "manual.pdf" of the working folder, `Soporte` the
// support page, each with the desktop's default program, without waiting.
#include <QString>

namespace tv::app {

inline constexpr const char* kManualFile = "manual.pdf";
// The support page: our server, the page's path as it always was.
inline constexpr const char* kSupportAddress = "http://soporte.talvor.example/CGI-BIN/soportephp.htm";

void ConsultaManual();
void Soporte();

}  // namespace tv::app
