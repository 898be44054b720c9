#include "cleanup.h"

// The class rows name the view, HKEY_CLASSES_ROOT, in which Windows shows a
// class; the cleanup goes to each of the ClassStores behind it instead.
const CleanupTarget CleanupPlan[CleanupTargetCount] = {
    // Tessaro 5 image classes, with their localised names.
    { HKEY_CLASSES_ROOT, "TSO5.Image" },
    { HKEY_CLASSES_ROOT, "TSO5.BrowserFile" },
    { HKEY_CLASSES_ROOT, "TSO5.FichierVisionneuse" },
    { HKEY_CLASSES_ROOT, "TSO5.Bild" },
    { HKEY_CLASSES_ROOT, "Imagen de TSO5" },
    { HKEY_CLASSES_ROOT, "TSO5.Archivo de examinador" },
    // Flickard animation classes.
    { HKEY_CLASSES_ROOT, "Anim.Document" },
    { HKEY_CLASSES_ROOT, "Flickard.Animation" },
    { HKEY_CLASSES_ROOT, "Image.Document" },
    // Per-user preferences of both programs.
    { HKEY_CURRENT_USER, "software\\Orlo\\Tessaro 5" },
    { HKEY_CURRENT_USER, "software\\Orlo\\Flickard" },
};
