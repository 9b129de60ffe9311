#pragma once

// How the chart control appears to assistive technology: a chart, with the name its owner
// gives it and a description that its owner builds from the data on demand.

// Makes Qt build that interface for every chart control; safe to call repeatedly.
void InstallChartAccessibility();
