// Stands for a DLL planted beside the setup program.
__declspec(dllexport) int TvlPlanted(void) { return 1; }
