/* Lookup tables, shipped as source. */
const unsigned char damage_by_level[4] = {5, 8, 13, 21};
