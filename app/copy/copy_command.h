#pragma once
// The command talvor-copiar: its arguments, its words on the console and
// its exit status, apart from main() so tests can run it in-process.
//
//   talvor-copiar a-servidor [talvor.db] ['conexión']
//   talvor-copiar a-archivo ['conexión'] [nuevo.db]
//
// The connection string comes from the command line or, when it is not
// there, from TALVOR_SERVER. The password is never printed.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/copy/copy_tables.h"

namespace tv::copy {

// `args` without the program's name; `envServer` is TALVOR_SERVER. 0 when
// the copy is whole, 1 when it failed (nothing written), 2 for a command
// line it does not understand.
int runCopyCommand(const std::vector<std::string>& args, const std::optional<std::string>& envServer,
                   std::ostream& out, std::ostream& err, const CopyStep& step = {});

// The text with the connection string's password (if any) put out of sight.
std::string hidePassword(std::string text, const std::string& conninfo);

}  // namespace tv::copy
