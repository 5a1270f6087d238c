#include "standins/tarvex/CObjet.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CTarvexJournal.h"

void CObjet::DeleteArray(CListe& array)
{
    CTarvexJournal::Append(L"CObjet", L"DeleteArray", CTarvexJournal::FromLong(array.GetCount()), L"");
    // A list of positions holds no objects: its numbers are not to be deleted.
    for (int i = 0; array.HoldsObjects() && i < array.GetCount(); ++i)
        delete array.GetObjet(i);
    array.RemoveAll();
}
