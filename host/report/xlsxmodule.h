#pragma once

#include "reportexport.h"

struct ReportModel;

// The XLSX writer is a module of its own, libbohost_xlsx.so beside libbohost.so, loaded on the
// first XLSX written: linked into the host, libxlsxwriter and the zip and crypto libraries it pulls
// in were loaded and relocated at every start of every program, for a format only some exports use.
namespace XlsxModule {

// The one function the module exports, under kEntry: ReportExport::writeXlsx's work.
using WriteFunction = void (*)(const ReportModel &model, const QString &path, const ReportExport::Progress &progress);
inline constexpr char kEntry[] = "boWriteXlsx";
inline constexpr char kFileName[] = "libbohost_xlsx.so";
// When set, the folder the module is looked for in instead of libbohost.so's own (tests point it at
// a folder without the module).
inline constexpr char kFolderVariable[] = "BO_XLSX_MODULE_DIR";

// The module's file: in kFolderVariable's folder, or else in the folder of the loaded libbohost.so.
QString filePath();

// The module's writer, loaded on the first call and kept loaded for the rest of the process. When the
// module cannot be loaded: nothing, and `reason` says which file and why, in the user's words with
// the loader's own text; the next call tries again.
WriteFunction writer(QString *reason);

} // namespace XlsxModule
