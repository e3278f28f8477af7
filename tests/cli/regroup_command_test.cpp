// The command line's regroup commands on generated recordings.
