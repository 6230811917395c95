#pragma once

// Chief header of the sales-by-day/hour screen: the screen class and the module state it shares.
#include "modulestate.h"
#include "tfrmestaticvendhora.h"
