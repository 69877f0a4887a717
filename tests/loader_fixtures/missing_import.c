/* Imports a function from a library that does not exist. */
__declspec(dllimport) int KivoraAbsentFunction(void);

__declspec(dllexport) int CallAbsent(void) { return KivoraAbsentFunction(); }
