#pragma once
// Which files are copied and which are encoded, and how.

#include "run/settings/run_settings.h"

#include <string>
#include <vector>

enum class FileKind {
  Copy,                  // copied unchanged
  EncodePlain,           // JScript and VBScript files
  EncodeHtml,            // HTML documents (encoded like plain files, with their own language)
  EncodeAspPage,         // type "Active Server Page" or "ASP File"
  EncodeAspByExtension,  // extension listed in AspExtensions: include files
};

// The type name the platform gives a file of this name ("HTML Document"); "File" for a
// name without an extension. Names are UTF-8. On Windows the shell's own name, except
// for the extensions of script files (.asp, .asa, .htm, .html, .js, .vbs, .inc): where
// the shell knows none for them, or one the rules below do not know, the table's. The
// table, also used where there is no file-type registry: .asp "Active Server Page",
// .htm/.html "HTML Document", .js "JScript Script File", .vbs "VBScript Script File",
// others "<EXT> File".
std::string TypeDescription(const std::string& fileName);

// The first rule that holds decides:
//  1. type "File"                                            -> Copy
//  2. type "JScript Script File" and EncodeJs               -> EncodePlain
//  3. type "VBScript Script file" or "...File" and EncodeVbs -> EncodePlain
//  4. type "HTML Document" and EncodeHtml                   -> EncodeHtml
//  5. type "Active Server Page" or "ASP File" and EncodeAsp -> EncodeAspPage
//     (an application file, .asa, with EncodeAsp            -> EncodeAspByExtension:
//      it holds server script but may carry no @language directive)
//  6. the name's last extension is one of AspExtensions, case ignored (EncodeAsp not
//     consulted)                                             -> EncodeAspByExtension
//  7. otherwise                                              -> Copy
FileKind ClassifyFile(const std::string& typeDescription, const std::string& fileName,
                      const RunSettings& settings);

// The extensions listed in a "txtDefxt" text, case-folded, without a dot: entries are
// separated by blanks, commas or semicolons, and "*.inc", ".inc" and "inc" all list "inc".
std::vector<std::string> ListedExtensions(const std::string& aspExtensions);

// The last extension of `fileName` case-folded, without the dot; empty when none.
std::string LastExtension(const std::string& fileName);

// The type name of the table above, for the extension `ext` (case-folded, no dot).
std::string TableTypeDescription(const std::string& ext);
// Whether the rules above know `type` as the type of a file that holds script.
bool IsScriptTypeName(const std::string& type);
// Whether `ext` (case-folded, no dot) is an extension of script files.
bool IsScriptExtension(const std::string& ext);

// For a file that is copied: the Options check box whose being switched off let a file
// that holds script go out unencoded ("chkASP", "chkHTML", "chkJS", "Check2", or
// "txtDefxt" for include files), or an empty text when the file holds no script we know.
std::string ScriptOptionOff(const std::string& fileName, const RunSettings& settings);
