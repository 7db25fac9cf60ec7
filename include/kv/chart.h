/* kvchart: the chart library's exported interface.
 *
 * The host drives the library through DLL_bCommande (create and destroy an
 * instance, read the tables of language functions and constants, release
 * error records) and calls every language function with one CallBlock (see
 * kv/ext_protocol.h). The GRAPH_bGr* functions are reached through the
 * function table; the DESSIN_* drawing commands are exported for the host to
 * bind as it likes. Every function returns 1 for success and 0 for failure.
 */
#ifndef KV_CHART_H
#define KV_CHART_H

#include <stdint.h>

#include "kv/export.h"
#include "kv/ext_protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The chart list and the font list of an instance; defined by the library. */
struct KvChartList;
struct KvFontList;

/* The per-instance state that command 1 creates (12 bytes on 32-bit). It is
 * a locked moveable global block; command 2 frees it. Unlike the records the
 * host reads, it keeps the natural alignment: the two addresses sit at
 * offsets 4 and 8 behind the language word. The host only passes its address
 * around. */
typedef struct InstanceContext {
  uint16_t language; /* 0 at creation; command 12 sets it; 0 French, other English */
  struct KvChartList* charts;
  struct KvFontList* fonts;
} InstanceContext;

#if defined(__cplusplus) && (defined(__i386__) || defined(_M_IX86))
static_assert(sizeof(InstanceContext) == 12, "InstanceContext");
static_assert(offsetof(InstanceContext, charts) == 4, "InstanceContext");
static_assert(offsetof(InstanceContext, fonts) == 8, "InstanceContext");
#endif

/* Commands of DLL_bCommande. */
enum {
  kChartCommandCreate = 1,
  kChartCommandDestroy = 2,
  kChartCommandDescribe = 3,
  kChartCommandGroupName = 4,
  kChartCommandDescription = 5,
  kChartCommandFurtherText = 6,
  kChartCommandNothing = 7,
  kChartCommandBindVariable = 8,
  kChartCommandReleaseError = 9,
  kChartCommandVersion = 10,
  kChartCommandRefused = 11,
  kChartCommandSetLanguage = 12
};

/* The command entry: command 1..12, an argument that may carry an address,
 * and a block whose meaning depends on the command. 1 done, 0 refused. */
KV_API int32_t KV_CALL DLL_bCommande(int16_t command, uintptr_t argument, void* block);

/* Language functions, in the order of the function table. */
KV_API int32_t KV_CALL GRAPH_bGrCree(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrType(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrTitre(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrDestinationChamp(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrDestinationFenetre(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrDestinationFichier(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrAjouteDonnee(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrCouleurSerie(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrEtiquetteSerie(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrEtiquetteCategorie(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrLibelle(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrLegende(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrQuadrillage(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrTitreAxe(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrGraduation(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrEspacement(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrRelief(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrNuageReliePoints(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrNuageTaillePoint(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrNuageAjouteDonneeXY(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrSecteurAngleDepart(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrDessine(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrMenu(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrOptionMenu(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrSupprimeSerie(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrSupprimeTout(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrEffaceDessin(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrFenTaille(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrImprime(CallBlock* call);

/* The chart window's procedure (class "TWK_Graphe") and the procedure put on
 * a field while a chart covers it; the platform's window layer calls them. */
KV_API intptr_t KV_CALL WndProc(void* window, unsigned int message, uintptr_t wParam,
                                intptr_t lParam);
KV_API intptr_t KV_CALL NewKVWndProcWhenkUse(void* window, unsigned int message, uintptr_t wParam,
                                             intptr_t lParam);
KV_API int32_t KV_CALL GRAPH_bGrSecteurExcentree(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrCreePolice(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrPoliceTitre(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrPoliceTitreAxe(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrPoliceLegende(CallBlock* call);
KV_API int32_t KV_CALL GRAPH_bGrPoliceLabel(CallBlock* call);

/* Drawing commands: each gives an ESC command text through the result area
 * (result type 6); DESSIN_bRVB gives a 32-bit colour (result type 2). */
KV_API int32_t KV_CALL DESSIN_bgRectangle(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgCercle(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgLigne(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgFond(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgStylo(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgLien(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgImage(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgCoord(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgCadrage(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bgARecuperer(CallBlock* call);
KV_API int32_t KV_CALL DESSIN_bRVB(CallBlock* call);

#ifdef __cplusplus
}
#endif

#endif /* KV_CHART_H */
