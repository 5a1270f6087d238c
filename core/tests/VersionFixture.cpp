// Carries a version resource for the version-information tests; never run.
int main()
{
    return 0;
}
