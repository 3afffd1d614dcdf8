' clock.vbs - shows the time in the status bar (Internet Explorer only)
Option Explicit

Sub UpdateClock()
    window.status = "Greenfield Garden Supply - " & FormatDateTime(Now(), vbLongTime)
    window.setTimeout "UpdateClock()", 1000, "VBScript"
End Sub

UpdateClock
