// The file each set of precompiled headers is built with; it holds nothing else.
