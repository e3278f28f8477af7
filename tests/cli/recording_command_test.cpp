// The command line's join and the raw signal exports commands on generated recordings.
