// The two registry keys through which the Display properties sheet finds its handlers,
// as the board's installer writes them.
#ifndef REGISTRATION_H
#define REGISTRATION_H

#include <string>
#include <vector>

extern const char kHandlersKey[];   // below HKLM
extern const char kUtilityHandlerKey[];
extern const char kUtilityClassId[];
extern const char kUtilityClassKey[];

// Writes the handler key (default value: the class id) and the class key with its
// InProcServer32 (default value: the module path; ThreadingModel "Apartment").
bool WriteServerRegistration(const std::string &dllPath);
void RemoveServerRegistration();

struct Handler {
    std::string name;      // subkey of the handlers key
    std::string classId;   // its default value, or the name itself when that is a class id
};
std::vector<Handler> ListHandlers();
// The InProcServer32 module of a class id; empty when the class has none.
std::string ServerPathOf(const std::string &classId);

#endif
