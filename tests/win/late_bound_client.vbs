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

Dim notify, pref, kind
Set notify = CreateObject("SyncBolvarin.CNotify")

' In/out integers from script variables come back filled in: the test that
' runs this script picks "do nothing" in the configuration window and
' presses OK.
pref = 0 : kind = 3
notify.ConfigureConduit "C:\data", "", pref, kind
Check Err.Number = 0, 1, "ConfigureConduit " & Hex(Err.Number) & " " & Err.Description
Check pref = 1 And kind = 6, 2, "ConfigureConduit gave back " & pref & " and " & kind

WScript.Quit 0
