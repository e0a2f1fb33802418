/* A module as the program loads them: one exported entry. */
__attribute__((visibility("default"))) int lumetraTestEntry(void)
{
    return 42;
}
