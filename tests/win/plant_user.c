// A library whose one import is the plant's: loaded from the system
// directory, it must take that import from there too.
__declspec(dllimport) int TvlPlanted(void);
__declspec(dllexport) int TvlUsesPlanted(void) { return TvlPlanted(); }
