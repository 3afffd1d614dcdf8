' nightly-cleanup.vbs - run by the Task Scheduler on the web server at 02:00.
' Deletes session upload files older than two days from the temp folder.
Option Explicit

Const TEMP_FOLDER = "D:\inetpub\greenfield\temp"
Dim fso, folder, file, cutoff, removed

Set fso = CreateObject("Scripting.FileSystemObject")
cutoff = DateAdd("d", -2, Now())
removed = 0

If fso.FolderExists(TEMP_FOLDER) Then
    Set folder = fso.GetFolder(TEMP_FOLDER)
    For Each file In folder.Files
        If file.DateLastModified < cutoff Then
            file.Delete True
            removed = removed + 1
        End If
    Next
End If

WScript.Echo removed & " old files removed."
