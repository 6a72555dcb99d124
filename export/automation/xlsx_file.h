#pragma once
// Writing a workbook as an .xlsx file (libxlsxwriter). The file is written
// beside its final name and put in place only when it is complete, so a
// failure never leaves half a file nor spoils the one already there.
#include <cstdint>
#include <string>

#include "export/automation/status.h"
#include "export/automation/workbook.h"

namespace tv::automation {

Status WriteXlsx(const Workbook& book, const std::string& path);

// Whether the file can show these codes of the automation interface.
bool ChartTypeKnown(int32_t type);      // xlColumnClustered 51, xlLine 4, xlPie 5, ...
bool PatternKnown(int32_t pattern);     // xlPatternSolid 1, xlPatternGray50 -4125, ...
bool LineStyleKnown(int32_t style);     // xlContinuous 1, xlDash -4115, ..., xlLineStyleNone -4142
bool BorderWeightKnown(int32_t weight); // xlHairline 1, xlThin 2, xlMedium -4138, xlThick 4
bool ChartHasAxes(int32_t type);        // pies and doughnuts have none

// The text a file-system error gives the user ("la carpeta no existe").
std::string FileErrorText(int error);

}  // namespace tv::automation
