#ifndef VELTRANE_WIZARD_WIZARD_H
#define VELTRANE_WIZARD_WIZARD_H

// Carries the user from the welcome page through the installation steps. Called once,
// on the main window's second tick; returns after closing setup or after setting
// InstallFinished.
void RunWizard(void);

#endif
