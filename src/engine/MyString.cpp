#include "engine/MyString.h"

#include "platform/ShiftJis.h"

TFields MakeFields() { return TFields(FieldSlots); }

void Split(const std::string& s, const std::string& sep, TFields& fields, int high)
{
    for (int i = 0; i <= high; ++i)
        fields[i].clear();
    if (sep.empty())
        return;
    const std::string text = s + sep;
    int count = 0;
    size_t from = 0;
    for (size_t p = Sjis::Find(text, sep, from); p != std::string::npos; p = Sjis::Find(text, sep, from)) {
        if (count > high)
            throw ERangeError();
        fields[count] = text.substr(from, p - from);
        ++count;
        from = p + sep.size();
    }
}
