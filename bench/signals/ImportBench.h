// signals_bench import: what a large DBC and a large communication matrix
// cost to import. Asserts nothing.
#pragma once

int ImportBench();
