// Finding where to enter a compressed recording (formats/GzipMembers.h) for
// the messages from a time on, without inflating the members before it: a
// binary search over the file's bytes for members, each known by the fixed
// first bytes GzipMemberWriter gives them and checked by inflating its first
// lines. Pure logic over stdio.
#pragma once
#include <stdint.h>
#include <stdio.h>

// The start of the member furthest into file that the search finds past
// byte `after` whose first message is before micros (its time as the file
// counts it); 0 when none is. Every message before that member, the file
// being in time order, is before micros too. The file is left anywhere.
uint64_t FindMemberBefore(FILE* file, uint64_t after, uint64_t micros);
