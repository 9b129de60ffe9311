#pragma once

// How a spin box and its arrows appear to assistive technology (screen readers, voice control):
// the box is a spin box whose value, bounds and step can be read and whose value can be set;
// its two arrows are buttons named for what they do, which step the box when pressed. The
// box's own name is whatever its owner gives it with setAccessibleName.

class TSpinEdit;

// Makes Qt build the interfaces above for every spin box and arrow; safe to call repeatedly.
void InstallSpinAccessibility();

// Tells assistive technology that the box's value may have changed.
void NotifyAccessibleValueChanged(TSpinEdit* box);
