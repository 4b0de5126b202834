// The plug-in library is glossan_core linked whole; this unit only gives the target a source.
