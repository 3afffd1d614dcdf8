#pragma once
// Which files are copied and which are encoded, and how.

#include "run_settings.h"
#include <QString>

enum class FileKind {
  Copy,                  // copied unchanged
  EncodePlain,           // JScript and VBScript files
  EncodeHtml,            // HTML documents (encoded like plain files, with their own language)
  EncodeAspPage,         // type "Active Server Page" or "ASP File"
  EncodeAspByExtension,  // extension listed in AspExtensions: include files
};

// The type name the platform gives a file of this name ("HTML Document"); "File" for a
// name without an extension. On Windows the shell's own name; elsewhere a table of the
// names Windows gives (.asp "Active Server Page", .htm/.html "HTML Document",
// .js "JScript Script File", .vbs "VBScript Script File", others "<EXT> File").
QString TypeDescription(const QString& fileName);

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
FileKind ClassifyFile(const QString& typeDescription, const QString& fileName,
                      const RunSettings& settings);

// The extensions listed in a "txtDefxt" text, in lower case without a dot: entries are
// separated by blanks, commas or semicolons, and "*.inc", ".inc" and "inc" all list "inc".
QStringList ListedExtensions(const QString& aspExtensions);

// The last extension of `fileName` in lower case, without the dot; empty when none.
QString LastExtension(const QString& fileName);

// For a file that is copied: the Options check box whose being switched off let a file
// that holds script go out unencoded ("chkASP", "chkHTML", "chkJS", "Check2", or
// "txtDefxt" for include files), or an empty text when the file holds no script we know.
QString ScriptOptionOff(const QString& fileName, const RunSettings& settings);
