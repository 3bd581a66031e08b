#include "chi2.h"

#include "incompletegamma.h"

double chi2PValue(double x2, double df, QString *error)
{
    return gammq(df / 2.0, x2 / 2.0, error);
}
