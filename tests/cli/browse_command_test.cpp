// The command line's list, rename and archive commands on generated recordings.
