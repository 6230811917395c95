#pragma once

#include <vector>

// The pt-BR vocabulary the demo chain is made of.

struct DemoCity
{
    const char *name;
    const char *state;
};

// Meal periods a product group sells in; a group outside its periods still sells, rarely.
enum DemoPeriod : unsigned { Breakfast = 1, Lunch = 2, Afternoon = 4, Dinner = 8, AllDay = 15 };

struct DemoSubgroup
{
    const char *name;
    const char *unit; // "UN" or "KG" (price per kilo, sold by weight)
    int minCents;
    int maxCents;
    std::vector<const char *> items;    // base names
    std::vector<const char *> variants; // sizes, flavours
};

struct DemoGroup
{
    const char *name;
    unsigned periods;
    std::vector<DemoSubgroup> subgroups;
};

struct DemoModality
{
    const char *code;
    const char *name;
    bool active;
};

const std::vector<DemoCity> &demoCities();
const std::vector<const char *> &demoStorePlaces();
const std::vector<const char *> &demoProductSuffixes();
const std::vector<DemoGroup> &demoGroups();
const std::vector<DemoModality> &demoModalities();
