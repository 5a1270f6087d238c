#pragma once

class CListe;

// The root of the engine's objects that travel in arrays. Arrays the engine fills belong to the
// caller, who frees their objects with DeleteArray (DetruireTableau is its older name).
class CObjet
{
public:
    CObjet() = default;
    CObjet(const CObjet&) = default;
    CObjet& operator=(const CObjet&) = default;
    virtual ~CObjet() = default;

    static void DeleteArray(CListe& array);
    static void DetruireTableau(CListe& array) { DeleteArray(array); }
};
