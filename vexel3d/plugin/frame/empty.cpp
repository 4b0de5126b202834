// The plug-in library is its static libraries linked whole; this unit only gives the target a source.
