// Qt-free engine sources register here.
