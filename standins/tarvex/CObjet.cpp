#include "standins/tarvex/CObjet.h"
#include "standins/tarvex/CListe.h"
#include "standins/tarvex/CTarvexJournal.h"

void CObjet::DeleteArray(CListe& array)
{
    CTarvexJournal::Append(L"CObjet", L"DeleteArray", CTarvexJournal::FromLong(array.GetCount()), L"");
    for (int i = 0; i < array.GetCount(); ++i)
        delete array.GetObjet(i);
    array.RemoveAll();
}
