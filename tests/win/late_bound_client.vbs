' A late-bound client of SyncBolvarin.CNotify, as a script host or a
' late-bound sync manager calls it. Exits with 0 when every check holds,
' otherwise with the number of the first check that failed.
Option Explicit
On Error Resume Next

Sub Check(ok, number, what)
  If Not ok Then
    WScript.Echo "check " & number & " failed: " & what
    WScript.Quit number
  End If
End Sub

Dim notify, value, result, pref, kind
Set notify = CreateObject("SyncBolvarin.CNotify")
Check Err.Number = 0, 1, "CreateObject: " & Err.Description

value = notify.GetConduitInfo(0, 0, 0, "")
Check VarType(value) = vbString And value = "SyncBolvarin", 2, "name"
value = notify.GetConduitInfo(1, 0, 0, "")
Check VarType(value) = vbLong And value = 268435456, 3, "flags"
value = notify.GetConduitInfo(2, 0, 0, "")
Check VarType(value) = vbLong And value = 0, 4, "zero"
value = notify.GetConduitInfo(3, 0, 0, "")
Check VarType(value) = vbDouble And value = 1, 5, "version"
For Each kind In Array(4, -1)
  value = notify.GetConduitInfo(kind, 0, 0, "")
  Check IsEmpty(value) And Err.Number = 0, 6, "kind " & kind & " gives the empty value"
Next

' Without the sync manager's classes the run cannot start: the failure
' arrives as an error with its number and description.
result = notify.BeginProcess()
Check Err.Number = 429, 7, "BeginProcess error number " & Err.Number
Check InStr(Err.Description, "HXDirect.PlatformSystem") > 0, 8, Err.Description
Err.Clear

' In/out integers from script variables come back filled in: the test that
' runs this script picks "do nothing" in the configuration window and
' presses OK.
pref = 0 : kind = 3
notify.ConfigureConduit "C:\data", "", pref, kind
Check Err.Number = 0, 9, "ConfigureConduit " & Hex(Err.Number) & " " & Err.Description
Check pref = 1 And kind = 6, 10, "ConfigureConduit gave back " & pref & " and " & kind
Err.Clear

WScript.Quit 0
