' A late-bound client of SyncBolvarin.CNotify, as a script host or a
' late-bound sync manager calls it: in/out integers from script variables
' come back filled in (the test that runs this script picks "do nothing" in
' the configuration window and presses OK). Prints them; a failed call stops
' the script with its error instead.
Option Explicit
Dim notify, pref, kind
Set notify = CreateObject("SyncBolvarin.CNotify")
pref = 0 : kind = 3
notify.ConfigureConduit "C:\data", "", pref, kind
WScript.Echo pref & " " & kind
